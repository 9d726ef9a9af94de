#pragma once
// Everything a chapter binding file needs: parameters, conversions, classes, functions, errors.
#include "vevuruvu/boundary/args.hpp"
#include "vevuruvu/boundary/classdef.hpp"
#include "vevuruvu/boundary/convert.hpp"
#include "vevuruvu/boundary/errors.hpp"
#include "vevuruvu/boundary/module.hpp"
#include "vevuruvu/boundary/object.hpp"
