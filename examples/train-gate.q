E<> Train.in && Gate.up          // the train in the crossing with the gate up: never
E<> Train.in && Gate.down
A[] passes < 4
A[] Train.in imply Gate.down     // safety, as an invariant
A[] Train.near imply Train.x <= 5
Train.near --> Train.in          // the invariant of near forces the train in
A<> Train.in                     // not satisfied: the train may stay far
