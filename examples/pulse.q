E<> count[0] == 2 && count[1] != 2    // the eager listeners never disagree
E<> count[0] == 2 && count[2] != 2    // the lazy one can miss a pulse
A[] guarded <= 3                      // the guarded listener stops at 3 ...
E<> count[0] == 3 && guarded == 3
E<> count[0] == 0 && guarded == 3     // ... while the eager counters go on and wrap around
A[] Master.t <= P
