// The table functions of the system function library (the names beginning
// with "DB"). They act on one table manager and read table files through
// the virtual file system; they report failure by their result and never
// end the expression with an error.
#pragma once

namespace orva {

class TDBManager;
class TSysFuncMan;
class TVrFileManager;

// Registers the bodies of the 40 table functions. The manager and the file
// system must outlive the dispatcher's use of them.
void RegisterTableFunctions(TSysFuncMan& man, TDBManager& tables, TVrFileManager& files);

}  // namespace orva
