#pragma once
// Every record that crosses a module boundary.
#include "records/element.hpp"
#include "records/errors.hpp"
#include "records/matrix_entry.hpp"
#include "records/parsed_instruction.hpp"
#include "records/resolution_result.hpp"
