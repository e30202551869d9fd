#include "expr/sysfuncs_library.h"

#include "expr/sysfuncs_args.h"

namespace orva {

void RegisterSystemFunctions(TSysFuncMan& man) {
  sysfuncs::RegisterNumberFunctions(man);
  sysfuncs::RegisterTextFunctions(man);
  sysfuncs::RegisterDateFunctions(man);
  sysfuncs::RegisterArrayFunctions(man);
  sysfuncs::RegisterVariableFunctions(man);
}

}  // namespace orva
