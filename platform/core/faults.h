// Fault injection: each armable call asks here whether it must fail. Nothing is armed in the
// product: the question is one load and one branch. The test library (platform/testing)
// installs the injector that arms calls and counts them.
#pragma once

#include <atomic>

#include "core/export.h"

namespace kv::fault {

// Every armable call, once. Host calls keep the host's names; the file calls are those of
// core/files.h, where each says what it answers.
#define KV_FAULT_CALLS(X)                                                                        \
  X(acdbOpenObject) X(appendAcDbEntity) X(symbolTableAdd) X(erase) X(clone) X(transformBy)      \
  X(appendVertex) X(appendFaceRecord)                                                           \
  X(acedGetVar) X(acedSetVar) X(acedCommand) X(acdbEntDel) X(acedSSGet) X(acedEntSel)           \
  X(setBody) X(explode) X(booleanOper) X(cleanBody) X(stlOut) X(acisIn) X(acisOut)              \
  X(STLToMesh) X(MeshToSAT) X(AfxInitExtensionModule) X(unlink) X(tempnam)                      \
  X(fileOpen) X(fileRead) X(fileWrite) X(fileSync) X(fileRename)

enum class Call : unsigned char {
#define KV_FAULT_ENUMERATOR(name) name,
  KV_FAULT_CALLS(KV_FAULT_ENUMERATOR)
#undef KV_FAULT_ENUMERATOR
};

#define KV_FAULT_COUNT(name) +1
inline constexpr int kCallCount = 0 KV_FAULT_CALLS(KV_FAULT_COUNT);
#undef KV_FAULT_COUNT

// The call's name as written above.
KV_PLATFORM_API const char* name(Call call);

// Answers 0 to let the call go ahead, else the status the call must answer; naturalFailure
// is the call's own usual failure.
using Injector = int (*)(Call call, int naturalFailure);
// Null uninstalls. Only the test library installs one.
KV_PLATFORM_API void install(Injector injector);

extern std::atomic<Injector> gInjector;

// For the stand-ins: 0 when the call goes ahead, else the status it must answer.
inline int check(Call call, int naturalFailure) {
  Injector injector = gInjector.load(std::memory_order_relaxed);
  return injector ? injector(call, naturalFailure) : 0;
}

}  // namespace kv::fault
