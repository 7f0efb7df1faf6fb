#pragma once
#include "app/form/Dialogs.h"
