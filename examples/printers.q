// A printer is busy exactly when somebody holds it.
A[] forall (p : printer_t) pool[p].busy == (pool[p].holder != 0)
// As many printers are busy as clients print.
A[] (sum (p : printer_t) pool[p].busy) == (sum (c : client_t) Client(c).printing)
// A printing client holds the printer it chose.
A[] forall (c : client_t) Client(c).printing imply pool[Client(c).mine].holder == c
E<> forall (p : printer_t) pool[p].jobs == 2      // both printers worn out
E<> Client(1).printing && Client(2).printing && Client(3).printing
E<> Technician.servicing && Technician.y > 3
