A[] (Train(0).in || Train(1).in) imply Gate.down   // no train in the crossing unless the gate is down
E<> Train(0).in && Train(1).in                       // both trains may be in the crossing
A[] Controller.closing imply Gate.up || Gate.raising // the order to lower waits for nothing
E<> Controller.closing && Train(0).near && Train(0).x > 0  // ... not even a time unit
A[] Controller.opening imply inside == 0 && left == 0   // the gate is ordered up at once
E<> Gate.raising && Train(1).near                    // a train may come while the gate rises
A[] !deadlock
Controller.closing --> Gate.down  // the urgent order and the gate's invariant bring it down
Controller.opening --> Gate.up    // trains that keep coming may keep it from rising for good
