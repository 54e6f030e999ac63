# First of two runs on one device: a folder and notes in a chosen order.
back
tap Add
tap Name
type Work
tap Save
edit
drag Notes Work
edit
tap Work
tap AddButton-Ball
type Plan
back
tap AddButton-Ball
type Budget
back
edit
drag Budget Plan
edit
expect-order "Plan" "Budget"
quit
