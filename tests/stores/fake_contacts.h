#pragma once
#include "support/fake_contacts.h"
