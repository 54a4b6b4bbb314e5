#pragma once
// Which implementation the costly placement searches use: the fast ones, or the straightforward
// library ones (kd-tree nearest site, Hungarian assignment) that the fast ones are checked
// against. Only tests and benchmarks select the reference.
enum class SearchPath { Fast, Reference };

SearchPath searchPath();
void setSearchPath(SearchPath path);
