E<> Bus.jam                                          // two senders can collide
E<> collisions == 3                                  // ... again and again
A[] Bus.jam imply Sender(1).transm && Sender(2).transm   // a collision hits both senders
A[] Sender(1).hit imply Sender(1).x == 0 && Bus.idle     // the back-off is picked at once ...
E<> Sender(1).hit && Sender(2).transm                // ... before the other sender can begin again
E<> Sender(1).transm && Sender(1).x == LAMBDA        // a frame can get through
A[] !deadlock
