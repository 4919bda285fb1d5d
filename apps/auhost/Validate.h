#pragma once

class AUBundle;

// The validation suite: each test prints PASS or FAIL with a reason; true when
// every test passed.
bool RunValidation(const AUBundle& bundle);
