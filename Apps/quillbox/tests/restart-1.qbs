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
tap +
type Plan
back
tap +
type Budget
back
edit
drag Budget Plan
edit
expect-order "Plan" "Budget"
quit
