#pragma once
// Everything a chapter binding file needs: parameters, field-bound constructors, JSON-document
// classes, conversions, classes, functions, errors.
#include "vevuruvu/boundary/args.hpp"
#include "vevuruvu/boundary/classdef.hpp"
#include "vevuruvu/boundary/construct.hpp"
#include "vevuruvu/boundary/convert.hpp"
#include "vevuruvu/boundary/errors.hpp"
#include "vevuruvu/boundary/fields.hpp"
#include "vevuruvu/boundary/json_document.hpp"
#include "vevuruvu/boundary/module.hpp"
#include "vevuruvu/boundary/object.hpp"
