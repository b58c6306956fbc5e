#include "serialbackend.h"
