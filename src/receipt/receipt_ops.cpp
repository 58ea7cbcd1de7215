// Placeholder until the receipt runs land.
#include "receipt/receipt_ops.h"

namespace tavo::receipt {

Text GetKnjBng(TextView pstKnjBng) { return Text(pstKnjBng); }
Text GetKnjBng2(TextView pstKnjBng, std::int32_t, std::int32_t) { return Text(pstKnjBng); }
RunResult Conv2(const Env&, TextView, const BranchOptions&) { return {}; }
RunResult Conv(const Env&, TextView) { return {}; }

}  // namespace tavo::receipt
