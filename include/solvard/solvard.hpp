#pragma once

// The native C++ interface of Solvard: lines, the terminals on them, typed values and results.
#include "solvard/attend_terminal.hpp"
#include "solvard/door_terminal.hpp"
#include "solvard/error.hpp"
#include "solvard/kept_records.hpp"
#include "solvard/line.hpp"
#include "solvard/port.hpp"
#include "solvard/records.hpp"
#include "solvard/result.hpp"
#include "solvard/values.hpp"
#include "solvard/version.hpp"
