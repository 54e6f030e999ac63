# Second run: the lock-out outlives the restart; no note shows.
expect You had been locked out!
expect-not Secret plan
biometry cancel
# Its time runs out, but only a return to the app lifts it.
advance 10m
expect You had been locked out!
background
foreground
biometry cancel
expect-not You had been locked out!
expect Enter Passcode
# The forgotten passcode goes with the security answer.
tap ?
expect First pet?
expect To reset your passcode, answer the security question above.
type  rex 
tap OK
advance 1
expect Your passcode had been reset
tap OK
expect "Secret plan"
passcode
expect Passcode: none
# Without a passcode nothing locks.
background
foreground
expect-not Enter Passcode
