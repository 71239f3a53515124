// The string built-ins of the "Math.." group: conversion between reals and
// strings, character and byte access, searching, slicing, editing, case and
// character-class filters, repetition, replacement and counting. Positions
// and lengths count UTF-8 characters except in the byte functions; positions
// from scripts are 1-based.
#pragma once
#include <string>

// Registers the string built-ins, from `real` to `string_count`, in their
// fixed order. InitMathFunctions calls it at its place in the group.
void InitStringFunctions();

// The 0-based character position of the first occurrence of needle in text;
// -1 when either is null or empty or there is none.
int UTF8_Find(const char* needle, const char* text);
// At most count characters of text from character start (0-based); empty
// when start is negative or at or beyond the end, or count is not positive.
std::string String_Substring(const char* text, long long start, long long count);
