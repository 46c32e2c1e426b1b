#pragma once
// Forced into the benches that drive the window's classes (BenchNames.cmake):
// they were written before the window moved into namespace darvolt and still
// name its classes and messages without it.
namespace darvolt::messages {
}
using namespace darvolt;
using namespace darvolt::messages;
