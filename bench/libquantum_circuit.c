/* The random circuit of circuit_vs_peers.py on libquantum's register: reads
   N and the gates ("h Q", "cx C T", "ph Q ANGLE", one per line) from standard
   input, applies them with the library's own gates, and prints the
   probability of the all-zero state. Built by the benchmark script only when
   the library is installed. */
#include <quantum.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  int n;
  if (scanf("%d", &n) != 1) return 2;
  quantum_reg reg = quantum_new_qureg(0, n);
  char kind[8];
  while (scanf("%7s", kind) == 1) {
    int a, b;
    float angle;
    if (strcmp(kind, "h") == 0 && scanf("%d", &a) == 1) {
      quantum_hadamard(a, &reg);
    } else if (strcmp(kind, "cx") == 0 && scanf("%d %d", &a, &b) == 2) {
      quantum_cnot(a, b, &reg);
    } else if (strcmp(kind, "ph") == 0 && scanf("%d %f", &a, &angle) == 2) {
      quantum_phase_kick(a, angle, &reg);
    } else {
      return 2;
    }
  }
  double p0 = 0.0;
  for (int i = 0; i < reg.size; ++i) {
    if (reg.state[i] == 0) p0 += quantum_prob(reg.amplitude[i]);
  }
  printf("p0 = %.6g\n", p0);
  quantum_delete_qureg(&reg);
  return 0;
}
