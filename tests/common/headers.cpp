// Every header of the rig, compiled on its own: each must stand alone, and clang-tidy
// sees them through this file (.ci/check-style).
#include "datadirs.h"
#include "eventwait.h"
#include "lockedpath.h"
#include "modalcatcher.h"
#include "pcapbuilder.h"
#include "pdftext.h"
#include "simzones.h"
#include "studiorig.h"
#include "testsupport.h"
