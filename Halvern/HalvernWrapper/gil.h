// Scoped holds on the Python interpreter lock.
#pragma once

#include <Python.h>

// Releases the lock held by this thread for the lifetime of the object.
class PyAllowThreads {
 public:
  PyAllowThreads() : state_(PyEval_SaveThread()) {}
  ~PyAllowThreads() { PyEval_RestoreThread(state_); }
  PyAllowThreads(const PyAllowThreads&) = delete;
  PyAllowThreads& operator=(const PyAllowThreads&) = delete;

 private:
  PyThreadState* state_;
};

// Takes the lock for the lifetime of the object, whether or not this thread holds it already.
class PyEnsureGIL {
 public:
  PyEnsureGIL() : state_(PyGILState_Ensure()) {}
  ~PyEnsureGIL() { PyGILState_Release(state_); }
  PyEnsureGIL(const PyEnsureGIL&) = delete;
  PyEnsureGIL& operator=(const PyEnsureGIL&) = delete;

 private:
  PyGILState_STATE state_;
};
