# A second launch within the hour runs on the cached configuration without
# a request; a return to the front two hours later fetches again.
wait
expect-order "three" "two" "one"
advance 2h
background
foreground
wait
