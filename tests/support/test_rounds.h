// How many rounds the heavy concurrency and race tests run.
#ifndef VELORANTIS_TESTS_SUPPORT_TEST_ROUNDS_H_
#define VELORANTIS_TESTS_SUPPORT_TEST_ROUNDS_H_

// `full`, or the number in the environment variable VELORANTIS_TEST_ROUNDS
// when that is a smaller positive decimal. Slow builds (sanitizers, an
// emulated target) set it to run these tests shorter, never to skip them;
// text that is no such number leaves `full`.
int TestRounds(int full);

#endif  // VELORANTIS_TESTS_SUPPORT_TEST_ROUNDS_H_
