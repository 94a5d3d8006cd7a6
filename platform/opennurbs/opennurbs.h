// The geometry vocabulary subset, in one include.
#pragma once

#include "on_base.h"
#include "on_mesh.h"
