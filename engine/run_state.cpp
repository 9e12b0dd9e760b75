#include "engine/run_state.h"

RunStateRecord RunState;
