#pragma once
// Kept where the window tests include it from.
#include "support/fake_contacts.h"
