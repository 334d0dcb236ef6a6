// What a rehearsal display draws for this application: faint lines on the
// bounds of the trick's touch regions, so the performer learns the grid. A
// program hands them to its host; the platform knows no trick.
#pragma once

#include "trick/trick.h"

constexpr const int (&REHEARSAL_GUIDE_COLUMNS)[2] = REGION_COLUMN_BOUNDS;
constexpr const int (&REHEARSAL_GUIDE_ROWS)[3] = REGION_ROW_BOUNDS;
