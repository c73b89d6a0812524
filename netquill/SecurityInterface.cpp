#include "netquill/SecurityInterface.h"

#include "util/SystemFunction.h"

const SecurityFunctionTableA *Sspi()
{
    // Worked out once, by whichever connection comes first.
    static const SecurityFunctionTableA *const table = [] {
        auto init = SystemFunction<INIT_SECURITY_INTERFACE_A>("secur32.dll", "InitSecurityInterfaceA");
        return init ? static_cast<const SecurityFunctionTableA *>(init()) : nullptr;
    }();
    return table;
}
