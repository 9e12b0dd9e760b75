#include "settings/file_locations.h"

FileLocationsRecord FileLocations = {};
