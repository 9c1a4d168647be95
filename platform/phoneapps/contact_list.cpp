#include "platform/phoneapps/contact_list.h"

#include <QCollator>
#include <QImage>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <numeric>

#include "platform/foundation/log.h"
#include "platform/foundation/qt_text.h"
#include "platform/phoneapps/person_page.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/screen.h"
#include "platform/uikit/search_header.h"

namespace platform::phoneapps {
namespace uk = platform::uikit;
using contacts::Person;

namespace {

// Wider than any row: the label cuts what is left with an ellipsis.
constexpr qsizetype kListChars = 200;

QString sortName(const Person& p) {
  const std::string& key = !p.familyName.empty() ? p.familyName : !p.givenName.empty() ? p.givenName : p.displayName();
  return toQString(std::string_view(key).substr(0, 400));
}

// "É" and "é" go under "E"; what starts with no Latin letter under "#".
QString sectionLetter(const QString& name) {
  if (name.isEmpty()) return "#";
  const QString base = name.left(2).normalized(QString::NormalizationForm_D).left(1).toUpper();
  const QChar c = base.isEmpty() ? QChar() : base.at(0);
  return c >= 'A' && c <= 'Z' ? QString(c) : QString("#");
}

// The "+" of the bar: a template image, drawn in the bar's tint.
uk::UIImagePtr plusImage() {
  const double scale = uk::UIScreen::mainScreen().scale();
  const int side = int(22 * scale);
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 2 * scale, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(side / 2.0, 3 * scale), QPointF(side / 2.0, side - 3 * scale));
  p.drawLine(QPointF(3 * scale, side / 2.0), QPointF(side - 3 * scale, side / 2.0));
  p.end();
  return std::make_shared<uk::UIImage>(std::move(image), scale);
}

}  // namespace

QString listText(const std::string& text) {
  QString shown = toQString(std::string_view(text).substr(0, kListChars * 4));
  if (shown.size() > kListChars) shown = shown.left(kListChars) + QChar(0x2026);
  return shown;
}

ContactIndex::ContactIndex(std::vector<Person> people) : people_(std::move(people)) {
  QCollator collator{QLocale(QLocale::English, QLocale::UnitedStates)};
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  struct Key {
    QString letter;
    QCollatorSortKey key;
    size_t index;
  };
  std::vector<Key> keys;
  keys.reserve(people_.size());
  for (size_t i = 0; i < people_.size(); ++i) {
    const QString name = sortName(people_[i]);
    keys.push_back({sectionLetter(name), collator.sortKey(name), i});
  }
  std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.letter != b.letter) return a.letter == "#" ? false : b.letter == "#" ? true : a.letter < b.letter;
    return a.key.compare(b.key) < 0;
  });
  for (const Key& k : keys) {
    if (sections_.empty() || sections_.back().letter != k.letter) sections_.push_back({k.letter, {}});
    sections_.back().rows.push_back(k.index);
  }
}

std::vector<size_t> ContactIndex::search(const QString& text) const {
  if (haystacks_.empty()) {
    haystacks_.reserve(people_.size());
    for (const Person& p : people_) {
      QString hay = toQString(p.displayName()) + '\n' + toQString(p.organization);
      for (const auto& v : p.phones) hay += '\n' + toQString(v.value);
      for (const auto& v : p.emails) hay += '\n' + toQString(v.value);
      haystacks_.push_back(hay.toCaseFolded());
    }
  }
  const QStringList words = text.toCaseFolded().split(' ', Qt::SkipEmptyParts);
  std::vector<size_t> found;
  for (const Section& s : sections_)
    for (size_t i : s.rows)
      if (std::all_of(words.begin(), words.end(), [&](const QString& w) { return haystacks_[i].contains(w); }))
        found.push_back(i);
  return found;
}

ContactListController::ContactListController(std::filesystem::path book) : book_(std::move(book)) {
  setTitle("Contacts");
}

void ContactListController::viewDidLoad() {
  tableView()->setTableHeaderView(uk::make<uk::SearchHeader>([this](const QString& text) { search(text); }));
  tableView()->setRowHeight(44);
  navigationItem().setRightBarButtonItem(std::make_shared<uk::UIBarButtonItem>(plusImage(), uk::UIBarButtonItemStyle::Plain, [this] {
    if (auto* nav = navigationController()) nav->pushViewController(std::make_shared<PersonEditController>(book_, Person{}), true);
  }));
}

void ContactListController::viewWillAppear(bool animated) {
  UITableViewController::viewWillAppear(animated);
  reload();
}

bool ContactListController::reload() {
  auto version = fileVersion(book_);
  if (everRead_ && version == read_) return false;
  everRead_ = true;
  read_ = version;
  auto read = contacts::readPeople(book_);
  if (!read) {
    log("Contacts: cannot read ", book_.string(), ": ", read.error().describe());
    problem_ = "The address book could not be read.";
    index_ = ContactIndex({});
  } else {
    if (!read->problem.empty()) log("Contacts: ", book_.string(), ": ", read->problem);
    problem_ = read->problem.empty() ? QString()
               : read->damaged ? "Part of the address book could not be read (" + toQString(read->problem) +
                                     "). It is not changed until it is mended."
                               : "Part of the address book could not be read (" + toQString(read->problem) + ").";
    index_ = ContactIndex(std::move(read->people));
  }
  if (found_) found_ = index_.search(static_cast<uk::SearchHeader*>(tableView()->tableHeaderView().get())->field()->text());
  if (isViewLoaded()) tableView()->reloadData();
  return true;
}

void ContactListController::search(const QString& text) {
  if (text.trimmed().isEmpty())
    found_.reset();
  else
    found_ = index_.search(text);
  tableView()->reloadData();
}

int ContactListController::numberOfSectionsInTableView(uk::UITableView&) {
  return found_ ? 1 : int(index_.sections().size()) + 1;  // the last holds the count
}

int ContactListController::numberOfRowsInSection(uk::UITableView&, int section) {
  if (found_) return int(found_->size());
  return section < int(index_.sections().size()) ? int(index_.sections()[size_t(section)].rows.size()) : 0;
}

const Person* ContactListController::personAt(uk::NSIndexPath path) const {
  if (found_) return path.row < int(found_->size()) ? &index_.people()[(*found_)[size_t(path.row)]] : nullptr;
  if (path.section >= int(index_.sections().size())) return nullptr;
  const auto& rows = index_.sections()[size_t(path.section)].rows;
  return path.row < int(rows.size()) ? &index_.people()[rows[size_t(path.row)]] : nullptr;
}

uk::UITableViewCellPtr ContactListController::cellForRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  auto cell = table.dequeueReusableCellWithIdentifier("Person");
  if (!cell) cell = uk::make<uk::UITableViewCell>(uk::UITableViewCellStyle::Default, "Person");
  const Person* p = personAt(path);
  cell->textLabel()->setText(p ? listText(p->displayName()) : QString());
  return cell;
}

std::optional<QString> ContactListController::titleForHeaderInSection(uk::UITableView&, int section) {
  if (found_ || section >= int(index_.sections().size())) return std::nullopt;
  return index_.sections()[size_t(section)].letter;
}

std::optional<QString> ContactListController::titleForFooterInSection(uk::UITableView&, int section) {
  const int count = found_ ? int(found_->size()) : int(index_.people().size());
  const bool last = found_ || section == int(index_.sections().size());
  if (!last) return std::nullopt;
  QString text = count == 1 ? "1 Contact" : QString::number(count) + " Contacts";
  if (!problem_.isEmpty()) text += "\n" + problem_;
  return text;
}

void ContactListController::didSelectRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  table.deselectRowAtIndexPath(path, true);
  const Person* p = personAt(path);
  if (p && navigationController())
    navigationController()->pushViewController(std::make_shared<PersonController>(book_, *p), true);
}

}  // namespace platform::phoneapps
