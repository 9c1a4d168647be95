#include "platform/phoneapps/person_page.h"

#include "platform/foundation/log.h"
#include "platform/foundation/qt_text.h"
#include "platform/phoneapps/contact_list.h"
#include "platform/uikit/alert_controller.h"
#include "platform/uikit/navigation_controller.h"

namespace platform::phoneapps {
namespace uk = platform::uikit;
using contacts::LabeledValue;
using contacts::Person;

namespace {

void showProblem(uk::UIViewController& on, const QString& title, const std::string& why) {
  auto alert = uk::UIAlertController::alertControllerWithTitle(title, toQString(why), uk::UIAlertControllerStyle::Alert);
  alert->addAction(std::make_shared<uk::UIAlertAction>("OK", uk::UIAlertActionStyle::Cancel, nullptr));
  on.presentViewController(alert, true);
}

// A row of one or two text fields side by side (a label and its value).
class FieldCell : public uk::UITableViewCell {
 public:
  FieldCell() : UITableViewCell(uk::UITableViewCellStyle::Default, QString()) {
    setSelectionStyle(uk::UITableViewCellSelectionStyle::None);
  }
  std::shared_ptr<uk::UITextField> add(const QString& placeholder, const QString& id, const std::string& text,
                                       std::function<void(std::string)> changed) {
    auto field = uk::make<uk::UITextField>();
    field->setPlaceholder(placeholder);
    field->setAccessibilityIdentifier(id);
    field->setText(toQString(text));
    auto* raw = field.get();
    field->addTarget([raw, changed] { changed(raw->text().toStdString()); }, uk::UIControlEvents::EditingChanged);
    contentView()->addSubview(field);
    fields_.push_back(field);
    return field;
  }
  void layoutSubviews() override {
    UITableViewCell::layoutSubviews();
    const double w = bounds().width() - 30, h = bounds().height();
    // A label field is narrow, its value takes the rest.
    const double first = fields_.size() == 2 ? std::min(110.0, w * 0.35) : w;
    double x = 15;
    for (size_t i = 0; i < fields_.size(); ++i) {
      const double width = i == 0 ? first : w - first - 8;
      fields_[i]->setFrame(uk::CGRect(x, 4, width, h - 8));
      x += width + 8;
    }
  }

 private:
  std::vector<std::shared_ptr<uk::UITextField>> fields_;
};

std::vector<LabeledValue>* listOf(Person& p, int section) {
  return section == 1 ? &p.phones : section == 2 ? &p.emails : nullptr;
}

}  // namespace

PersonController::PersonController(std::filesystem::path book, Person person)
    : UITableViewController(uk::UITableViewStyle::Grouped), book_(std::move(book)), person_(std::move(person)) {
  setTitle(QString());
  navigationItem().setLargeTitleDisplayMode(uk::UINavigationItemLargeTitleDisplayMode::Never);
}

void PersonController::viewDidLoad() {
  navigationItem().setRightBarButtonItem(std::make_shared<uk::UIBarButtonItem>(uk::UIBarButtonSystemItem::Edit, [this] {
    if (auto* nav = navigationController()) nav->pushViewController(std::make_shared<PersonEditController>(book_, person_), true);
  }));
}

void PersonController::viewWillAppear(bool animated) {
  UITableViewController::viewWillAppear(animated);
  // Back from the form, or from a book changed meanwhile: the person as the book has them now.
  if (auto read = contacts::readPeople(book_))
    for (auto& p : read->people)
      if (p.identifier == person_.identifier) person_ = std::move(p);
  tableView()->reloadData();
}

int PersonController::numberOfRowsInSection(uk::UITableView&, int section) {
  switch (section) {
    case 0: return 1;
    case 1: return int(person_.phones.size());
    case 2: return int(person_.emails.size());
    case 3: return int(person_.socialProfiles.size());
    default: return 1;
  }
}

uk::UITableViewCellPtr PersonController::cellForRowAtIndexPath(uk::UITableView&, uk::NSIndexPath path) {
  // Few rows, each shown whole: no reuse.
  if (path.section == 0) {
    auto cell = uk::make<uk::UITableViewCell>(uk::UITableViewCellStyle::Subtitle, QString());
    cell->setSelectionStyle(uk::UITableViewCellSelectionStyle::None);
    cell->textLabel()->setText(toQString(person_.displayName()));
    cell->textLabel()->setFont(uk::UIFont::boldSystemFontOfSize(24));
    cell->textLabel()->setNumberOfLines(0);
    cell->detailTextLabel()->setText(toQString(person_.organization));
    cell->detailTextLabel()->setNumberOfLines(0);
    return cell;
  }
  auto cell = uk::make<uk::UITableViewCell>(uk::UITableViewCellStyle::Subtitle, QString());
  if (path.section == 4) {
    cell->textLabel()->setText("Delete Contact");
    cell->textLabel()->setTextColor(uk::UIColor::systemRedColor());
    return cell;
  }
  QString label, value;
  if (path.section == 3) {
    const auto& s = person_.socialProfiles.at(size_t(path.row));
    label = toQString(s.label.empty() ? "profile" : s.label);
    value = toQString(s.userName);
  } else {
    const auto& v = (path.section == 1 ? person_.phones : person_.emails).at(size_t(path.row));
    label = toQString(v.label.empty() ? (path.section == 1 ? "phone" : "email") : v.label);
    value = toQString(v.value);
  }
  cell->setSelectionStyle(uk::UITableViewCellSelectionStyle::None);
  cell->textLabel()->setText(label);
  cell->textLabel()->setFont(uk::UIFont::systemFontOfSize(13));
  cell->detailTextLabel()->setText(value);
  cell->detailTextLabel()->setFont(uk::UIFont::systemFontOfSize(17));
  cell->detailTextLabel()->setTextColor(uk::UIColor::systemBlueColor());
  cell->detailTextLabel()->setNumberOfLines(0);
  return cell;
}

void PersonController::didSelectRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  table.deselectRowAtIndexPath(path, true);
  if (path.section == 4) confirmDelete();
}

void PersonController::confirmDelete() {
  auto sheet = uk::UIAlertController::alertControllerWithTitle(QString(), QString(), uk::UIAlertControllerStyle::ActionSheet);
  sheet->addAction(std::make_shared<uk::UIAlertAction>("Delete Contact", uk::UIAlertActionStyle::Destructive, [this](const auto&) {
    if (auto done = contacts::deletePerson(book_, person_.identifier); !done) {
      log("Contacts: cannot delete ", person_.identifier, ": ", done.error().describe());
      showProblem(*this, "Cannot Delete Contact", done.error().describe());
      return;
    }
    if (auto* nav = navigationController()) nav->popViewControllerAnimated(true);
  }));
  sheet->addAction(std::make_shared<uk::UIAlertAction>("Cancel", uk::UIAlertActionStyle::Cancel, nullptr));
  presentViewController(sheet, true);
}

PersonEditController::PersonEditController(std::filesystem::path book, Person person)
    : UITableViewController(uk::UITableViewStyle::Grouped), book_(std::move(book)), draft_(std::move(person)) {
  setTitle(draft_.identifier.empty() ? "New Contact" : "Edit Contact");
  navigationItem().setLargeTitleDisplayMode(uk::UINavigationItemLargeTitleDisplayMode::Never);
}

void PersonEditController::viewDidLoad() {
  tableView()->setRowHeight(44);
  navigationItem().setRightBarButtonItem(std::make_shared<uk::UIBarButtonItem>(uk::UIBarButtonSystemItem::Done, [this] {
    if (save())
      if (auto* nav = navigationController()) nav->popViewControllerAnimated(true);
  }));
}

int PersonEditController::numberOfRowsInSection(uk::UITableView&, int section) {
  switch (section) {
    case 0: return 3;
    case 1: return int(draft_.phones.size()) + 1;
    case 2: return int(draft_.emails.size()) + 1;
    default: return int(draft_.socialProfiles.size()) + 1;
  }
}

std::optional<QString> PersonEditController::titleForHeaderInSection(uk::UITableView&, int section) {
  static const char* const titles[] = {"Name", "Phone", "Email", "Social Profile"};
  return QString(titles[section]);
}

uk::UITableViewCellPtr PersonEditController::cellForRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  auto& cached = cells_[{path.section, path.row}];
  if (cached) return cached;
  const int rows = numberOfRowsInSection(table, path.section);
  if (path.section > 0 && path.row == rows - 1) {
    auto cell = uk::make<uk::UITableViewCell>(uk::UITableViewCellStyle::Default, QString());
    static const char* const adds[] = {"", "add phone", "add email", "add social profile"};
    cell->textLabel()->setText(adds[path.section]);
    cell->textLabel()->setTextColor(uk::UIColor::systemBlueColor());
    return cached = cell;
  }
  auto cell = uk::make<FieldCell>();
  const QString n = QString::number(path.row);
  if (path.section == 0) {
    std::string* fields[] = {&draft_.givenName, &draft_.familyName, &draft_.organization};
    static const char* const names[] = {"First name", "Last name", "Company"};
    static const char* const ids[] = {"givenName", "familyName", "organization"};
    std::string* field = fields[path.row];
    cell->add(names[path.row], ids[path.row], *field, [field](std::string text) { *field = std::move(text); });
  } else if (auto* list = listOf(draft_, path.section)) {
    const QString kind = path.section == 1 ? "phone" : "email";
    const size_t i = size_t(path.row);
    cell->add("label", kind + "Label" + n, (*list)[i].label, [list, i](std::string t) { (*list)[i].label = std::move(t); });
    cell->add(path.section == 1 ? "Phone" : "Email", kind + n, (*list)[i].value,
              [list, i](std::string t) { (*list)[i].value = std::move(t); });
  } else {
    auto* profiles = &draft_.socialProfiles;
    const size_t i = size_t(path.row);
    cell->add("service", "service" + n, (*profiles)[i].label,
              [profiles, i](std::string t) { (*profiles)[i].label = std::move(t); });
    cell->add("user name", "userName" + n, (*profiles)[i].userName,
              [profiles, i](std::string t) { (*profiles)[i].userName = std::move(t); });
  }
  return cached = cell;
}

void PersonEditController::didSelectRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  table.deselectRowAtIndexPath(path, false);
  if (path.section == 0 || path.row != numberOfRowsInSection(table, path.section) - 1) return;
  if (auto* list = listOf(draft_, path.section))
    list->push_back({path.section == 1 ? "mobile" : "home", {}});
  else
    draft_.socialProfiles.push_back({});
  // The "add" row moves down: its cell is made again, as is the new row's.
  cells_.erase({path.section, path.row});
  table.reloadData();
  // Typing goes to the new number or address (or the service of a profile).
  if (auto* cell = table.cellForRowAtIndexPath(path)) {
    std::vector<uk::UITextField*> fields;
    for (const auto& view : cell->contentView()->subviews())
      if (auto* field = dynamic_cast<uk::UITextField*>(view.get())) fields.push_back(field);
    if (!fields.empty()) (path.section == 3 ? fields.front() : fields.back())->becomeFirstResponder();
  }
}

bool PersonEditController::save() {
  Person person = draft_;
  auto blank = [](const std::string& s) { return QString::fromStdString(s).trimmed().isEmpty(); };
  std::erase_if(person.phones, [&](const LabeledValue& v) { return blank(v.value); });
  std::erase_if(person.emails, [&](const LabeledValue& v) { return blank(v.value); });
  std::erase_if(person.socialProfiles, [&](const contacts::SocialProfile& s) { return blank(s.userName); });
  if (person.identifier.empty()) {
    auto added = contacts::addPerson(book_, person);
    if (!added) {
      log("Contacts: cannot add a contact: ", added.error().describe());
      showProblem(*this, "Cannot Save Contact", added.error().describe());
      return false;
    }
    draft_.identifier = *added;
    return true;
  }
  if (auto done = contacts::updatePerson(book_, person); !done) {
    log("Contacts: cannot save ", person.identifier, ": ", done.error().describe());
    showProblem(*this, "Cannot Save Contact", done.error().describe());
    return false;
  }
  return true;
}

}  // namespace platform::phoneapps
