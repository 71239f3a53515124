// The parser (resolved tokens to a parse tree) and the tree pass that folds
// constants and marks local names, the third and fourth compiler phases.
#pragma once
#include "script/lexer.h"
#include "script/parse_tree.h"

// A program: a block of statements. False after the first error, with the
// tree incomplete.
bool Parser_ParseProgram(CompileContext* context, const ResolvedTokenList& tokens, ParseNode* root);
// An expression code object: one expression (later tokens are ignored);
// no tokens at all give the constant 0.
bool Parser_ParseExpression(CompileContext* context, const ResolvedTokenList& tokens, ParseNode* root);

// Folds operations on constants, makes names declared with "var" local,
// makes variables with a constant instance and no index simple, and marks
// constant cases.
bool TreePass_Run(CompileContext* context, ParseNode* root);
