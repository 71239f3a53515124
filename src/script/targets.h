// The numbers that name instances: the target of a variable access, a
// with-statement or a query. 0 to 99999 are object indices, 100000 and up
// instance ids.
#pragma once

constexpr int kInstanceSelf = -1;
constexpr int kInstanceOther = -2;
constexpr int kInstanceAll = -3;
constexpr int kInstanceNoone = -4;
constexpr int kInstanceGlobal = -5;
constexpr int kInstancePlain = -6;  // global when declared with globalvar, else self
constexpr int kInstanceLocal = -7;
constexpr int kFirstInstanceId = 100000;  // 0 to 99999 are object indices
