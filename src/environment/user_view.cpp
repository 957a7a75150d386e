#include "environment/user_view.h"

namespace twinbook {

ConflictBoxes BoxesOf(const SyncObject& r) {
  return ConflictBoxes{r.ContactName, r.Work2Number, r.Work2Speed,   r.DCNumber,    r.DCSpeed,
                       r.HomeNumber,  r.HomeSpeed,   r.Work1Number,  r.Work1Speed,  r.MobileNumber,
                       r.MobileSpeed, r.FaxNumber,   r.FaxSpeed,     r.PagerNumber, r.PagerSpeed,
                       r.OtherNumber, r.OtherSpeed,  r.EmailAddress, r.EmailSpeed};
}

}  // namespace twinbook
