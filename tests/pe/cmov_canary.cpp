// The instruction check's own case: a program whose own object holds a CMOV,
// which the check must find and name.
int main(int argc, char**) {
  int chosen = 0;
  asm volatile("cmpl $1, %1\n\tcmovne %1, %0" : "+r"(chosen) : "r"(argc) : "cc");
  return chosen;
}
