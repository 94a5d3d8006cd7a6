// The geometry vocabulary subset, in one include.
#pragma once

#include "opennurbs/on_base.h"
#include "opennurbs/on_curve.h"
#include "opennurbs/on_geometry.h"
#include "opennurbs/on_mesh.h"
#include "opennurbs/on_objects.h"
