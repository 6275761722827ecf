// Processor time used by this process, so a benchmark on a shared machine counts
// only the time it actually ran (as `openssl speed` does with its user time).
#pragma once

double processCpuSeconds();
