# The shared text is on the screen; a line is added before it goes.
expect Call the plumber
type \nabout the kitchen sink
expect about the kitchen sink
done
