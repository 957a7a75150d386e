#include "stores/inclusion_report.h"

#include "environment/activity_log.h"
#include "environment/app_info.h"
#include "stores/outlook_import.h"

namespace twinbook {

std::string InclusionReportPath(const std::string& folder) {
  return folder + "/InclusionReport.txt";
}

void WriteInclusionReport(RunContext& context) {
  const Settings& settings = context.settings();
  SyncSet included;
  SyncSet excluded;
  {
    std::unique_ptr<ContactsFolder> folder =
        context.platform.contacts.OpenFolder(settings.ContactsPath);
    const int count = folder->Count();
    if (count == 0) {
      return;
    }
    for (int position = 1; position <= count; ++position) {
      std::unique_ptr<ContactItem> item = folder->Item(position);
      if (item->TypeName() != kContactItemType) {
        continue;
      }
      SyncSet& target = IsIncluded(item->Get(ContactProperty::User2)) ? included : excluded;
      ImportOutlookData(target, *item, settings.NameField);
    }
  }

  const std::string path = InclusionReportPath(context.state.DataFolder());
  LogFile report(path, LogFile::Mode::Replace);
  report.WriteLine(TitleAndVersionLine());
  report.WriteLine(kNotice);
  report.WriteLine("Inclusion Report");
  report.WriteLine("");
  report.WriteLine("Included Contacts:");
  for (const SyncObject& record : included) {
    report.WriteLine("     " + record.ContactName);
  }
  report.WriteLine("");
  report.WriteLine("Excluded Contacts:");
  for (const SyncObject& record : excluded) {
    report.WriteLine("     " + record.ContactName);
  }
  report.Close();

  context.view.ShowMessage("The Inclusion Report has been written to " + path);
}

}  // namespace twinbook
