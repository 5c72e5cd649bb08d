// Start-up registration of the library's module classes.
#pragma once

namespace vex {

// Enters every module class of the library into the factory registry; called once by
// the library's start-up initialisers, before the host can reach MP_GetFactory.
// Defined by the module's own code (analyzer/module_classes.cpp). Answers 0.
int registerModuleClasses();

} // namespace vex
