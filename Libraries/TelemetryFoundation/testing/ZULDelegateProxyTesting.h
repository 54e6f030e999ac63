// For tests: the delegate proxies' process-wide state back as a fresh
// process has it (no interceptors, nothing proxied or observed, the
// one-time steps not yet run).
#pragma once

void ZULAppDelegateSwizzlerResetForTesting();
void ZULSceneDelegateSwizzlerResetForTesting();
