#include <pybind11/pybind11.h>
PYBIND11_MODULE(zelcontrol, m) { m.doc() = "ZelControl"; }
