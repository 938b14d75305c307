// Allocation, release and copy statements of a typedef: they are those of the
// type it names, so that a typedef'd pointer or array is handled exactly as
// the resolved type is (a typedef'd pointer is neither allocated nor freed).
#include <string>

#include "model/type.h"

std::string typedefType::mallocCode(const std::string& prefix, const std::string& name) const
{
    return aliased() ? aliased()->mallocCode(prefix, name) : "";
}

std::string typedefType::freeCode(const std::string& prefix, const std::string& name) const
{
    return aliased() ? aliased()->freeCode(prefix, name) : "";
}

std::string typedefType::copyCode(const std::string& dstPrefix, const std::string& dstName,
                                  const std::string& srcPrefix, const std::string& srcName,
                                  int flag) const
{
    return aliased() ? aliased()->copyCode(dstPrefix, dstName, srcPrefix, srcName, flag) : "";
}
