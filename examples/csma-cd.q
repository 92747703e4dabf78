E<> Bus.collision                                   // two senders can collide
E<> Sender(1).transm && Sender(1).x == LAMBDA       // a frame can get through
E<> Sender(1).transm && Sender(2).transm            // both transmit for a while ...
A[] Sender(1).transm && Sender(2).transm imply Sender(1).x < 2 * SIGMA && Sender(2).x < 2 * SIGMA
A[] Bus.collision imply Bus.y < SIGMA
E<> Bus.active && Bus.y >= SIGMA && Sender(1).transm && Sender(2).transm   // ... never undetected
