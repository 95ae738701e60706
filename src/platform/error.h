// The library-wide error value reported by Shp_GetError.
#pragma once

#include <cstdint>

namespace ovrix {

// Stores `code` as the library-wide error value; always 1. Only two places
// store a code: a failed Shp_Create (0) and a failed open while file handles
// are held in reserve (the system's error number). Nothing clears it.
int32_t Shp_SetError(int32_t code);
int32_t Shp_ErrorValue();

// Message texts for the codes 0, 1 and 2, in that order. No function of the
// interface returns them; they document what the codes mean.
extern const char* const kErrorMessages[3];

}  // namespace ovrix
