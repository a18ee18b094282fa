#include "platform/sway/SwayBindings.h"

#include "hotkey/KeyCodes.h"

#include <QRegularExpression>
#include <QStringList>

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <map>
#include <vector>

namespace tessary::swaybind {

namespace {

struct ModifierName {
    const char* name;
    quint32 bit;
};

// sway compares these case-insensitively; "Super" is not among them.
constexpr ModifierName modifierNames[] = {
    {"Shift", mod::shift}, {"Lock", mod::lock}, {"Ctrl", mod::ctrl}, {"Control", mod::ctrl},
    {"Alt", mod::alt},     {"Mod1", mod::alt},  {"Mod2", mod::mod2}, {"Mod3", mod::mod3},
    {"Mod4", mod::mod4},   {"Mod5", mod::mod5},
};

std::optional<quint32> modifierBit(const QString& name)
{
    for (const ModifierName& entry : modifierNames)
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.bit;
    return std::nullopt;
}

QString keysymName(quint32 keysym)
{
    char name[64];
    const int length = xkb_keysym_get_name(keysym, name, sizeof name);
    return length > 0 ? QString::fromLatin1(name, std::min<int>(length, sizeof name - 1)) : QString();
}

// Lines as sway reads them: a backslash at the end continues a line, "#" starts a comment line.
QStringList logicalLines(const QString& config)
{
    QStringList lines;
    QString pending;
    for (const QString& raw : config.split(QLatin1Char('\n'))) {
        QString line = raw.trimmed();
        if (line.endsWith(QLatin1Char('\\'))) {
            pending += line.chopped(1) + QLatin1Char(' ');
            continue;
        }
        line = (pending + line).trimmed();
        pending.clear();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            lines.append(line);
    }
    return lines;
}

// Replaces $name by its value, the longest name first so $mod does not eat $modkey.
QString expanded(QString line, const std::map<QString, QString>& variables)
{
    if (!line.contains(QLatin1Char('$')))
        return line;
    std::vector<const std::pair<const QString, QString>*> byLength;
    for (const auto& variable : variables)
        byLength.push_back(&variable);
    std::sort(byLength.begin(), byLength.end(),
              [](auto* a, auto* b) { return a->first.size() > b->first.size(); });
    for (const auto* variable : byLength)
        line.replace(variable->first, variable->second);
    return line;
}

// The combination of a binding line's arguments: the first that is not a --flag.
QString comboArgument(const QStringList& arguments)
{
    for (const QString& argument : arguments)
        if (!argument.startsWith(QLatin1String("--")))
            return argument;
    return {};
}

// Modifiers and one key, which `key` reads (none: not a key).
std::optional<Combo> parseKeys(const QString& text,
                               const std::function<std::optional<quint32>(const QString&)>& key)
{
    Combo combo;
    bool haveKey = false;
    for (const QString& part : text.split(QLatin1Char('+'))) {
        if (const std::optional<quint32> bit = modifierBit(part)) {
            combo.modifiers |= *bit;
            continue;
        }
        const std::optional<quint32> read = key(part);
        if (!read || haveKey)
            return std::nullopt;
        combo.keysym = *read;
        haveKey = true;
    }
    return haveKey ? std::optional<Combo>(combo) : std::nullopt;
}

// A bindcode combination, its key code in place of the keysym until a layout names its key.
std::optional<Combo> parseCodeCombo(const QString& text)
{
    return parseKeys(text, [](const QString& part) -> std::optional<quint32> {
        bool number = false;
        const quint32 code = part.toUInt(&number);
        return number ? std::optional<quint32>(code) : std::nullopt;
    });
}

QString unquoted(QString text)
{
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        return text.mid(1, text.size() - 2);
    return text;
}

} // namespace

std::optional<QString> comboText(const Shortcut& shortcut)
{
    const std::optional<quint32> keysym = keysymForShortcut(shortcut);
    const QString key = keysym ? keysymName(*keysym) : QString();
    if (key.isEmpty())
        return std::nullopt;
    QStringList parts;
    if (shortcut.modifiers & modifier::control)
        parts.append(QStringLiteral("Ctrl"));
    if (shortcut.modifiers & modifier::option)
        parts.append(QStringLiteral("Alt"));
    if (shortcut.modifiers & modifier::shift)
        parts.append(QStringLiteral("Shift"));
    if (shortcut.modifiers & modifier::command)
        parts.append(QStringLiteral("Mod4"));
    parts.append(key);
    return parts.join(QLatin1Char('+'));
}

std::optional<Combo> parseCombo(const QString& text)
{
    return parseKeys(text, [](const QString& part) -> std::optional<quint32> {
        const xkb_keysym_t keysym =
            xkb_keysym_from_name(part.toUtf8().constData(), XKB_KEYSYM_CASE_INSENSITIVE);
        return keysym == XKB_KEY_NoSymbol ? std::nullopt
                                          : std::optional<quint32>(xkb_keysym_to_lower(keysym));
    });
}

namespace {

// What reading a config and the files it includes shares: variables set in one file hold in
// the files read after it.
struct ConfigReader {
    const IncludeReader& include;
    std::map<QString, QString> variables;
    QStringList read; // files already read: sway includes each once
    QList<Combo> bindings;
    QList<Combo> codeBindings; // bindcode lines, a key code in place of the keysym
    QStringList inputs;        // input identifiers, in the order the config first names them
    std::map<QString, std::map<QString, QString>> inputSettings;

    void readFile(const QString& config, const QString& folder);
    void addBinding(const QStringList& arguments, bool byCode);
    void setInput(const QString& identifier, const QString& setting = {}, const QString& value = {});
    void addCodeBindings();
};

void ConfigReader::addBinding(const QStringList& arguments, bool byCode)
{
    const QString combo = comboArgument(arguments);
    if (const std::optional<Combo> parsed = byCode ? parseCodeCombo(combo) : parseCombo(combo))
        (byCode ? codeBindings : bindings).append(*parsed);
}

void ConfigReader::setInput(const QString& identifier, const QString& setting, const QString& value)
{
    if (!inputs.contains(identifier))
        inputs.append(identifier);
    if (!setting.isEmpty())
        inputSettings[identifier][setting] = unquoted(value);
}

// sway binds a letter given --to-code to the key that gives it in the first layout of the first
// input that sets layouts (xkb's defaults without one), and a bindcode line on that key is then
// the same binding: its key code is read as that letter.
void ConfigReader::addCodeBindings()
{
    if (codeBindings.isEmpty())
        return;
    const auto input = std::find_if(inputs.begin(), inputs.end(), [this](const QString& identifier) {
        return inputSettings[identifier].count("xkb_layout");
    });
    std::map<QString, QString>& settings = inputSettings[input == inputs.end() ? QString() : *input];
    const QByteArray rules = settings["xkb_rules"].toUtf8(), model = settings["xkb_model"].toUtf8(),
                     layout = settings["xkb_layout"].toUtf8(), variant = settings["xkb_variant"].toUtf8(),
                     options = settings["xkb_options"].toUtf8();
    const auto name = [](const QByteArray& value) { return value.isEmpty() ? nullptr : value.constData(); };
    const xkb_rule_names names{name(rules), name(model), name(layout), name(variant), name(options)};
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap =
        context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    for (const Combo& code : codeBindings) {
        const xkb_keysym_t* keysyms = nullptr;
        if (keymap && xkb_keymap_key_get_syms_by_level(keymap, code.keysym, 0, 0, &keysyms) == 1)
            bindings.append({code.modifiers, xkb_keysym_to_lower(keysyms[0])});
    }
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
}

void ConfigReader::readFile(const QString& config, const QString& folder)
{
    enum class Block { defaultMode, bindsym, bindcode, input, other };
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    std::vector<Block> blocks; // open braces, innermost last
    QString openInput;         // the identifier of the input block open

    for (const QString& line : logicalLines(config)) {
        QStringList words = line.split(spaces, Qt::SkipEmptyParts);
        if (words.first() == QLatin1String("set") && words.size() >= 3 &&
            words.at(1).startsWith(QLatin1Char('$'))) {
            variables[words.at(1)] = expanded(words.mid(2).join(QLatin1Char(' ')), variables);
            continue;
        }
        words = expanded(line, variables).split(spaces, Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        if (words.first() == QLatin1String("}")) {
            if (!blocks.empty())
                blocks.pop_back();
            continue;
        }
        const bool opens = words.last() == QLatin1String("{");
        if (opens)
            words.removeLast();
        // Bindings count at the top level, in mode "default" and in "bindsym {" blocks there;
        // not in other modes, nor in bar blocks, whose bindsym names mouse buttons on the bar.
        const bool counted = std::all_of(blocks.begin(), blocks.end(), [](Block block) {
            return block != Block::other && block != Block::input;
        });
        const QString keyword = words.isEmpty() ? QString() : words.first();
        const Block innermost = blocks.empty() ? Block::defaultMode : blocks.back();
        const bool byCode = keyword == QLatin1String("bindcode");
        if (innermost == Block::bindsym || innermost == Block::bindcode) {
            if (counted) // each line is a combination and its command
                addBinding(words, innermost == Block::bindcode);
        } else if ((keyword == QLatin1String("bindsym") || byCode) && !opens) {
            if (counted)
                addBinding(words.mid(1), byCode);
        } else if (innermost == Block::input && words.size() >= 2) {
            setInput(openInput, keyword, words.at(1));
        } else if (keyword == QLatin1String("input") && words.size() >= 4 && !opens) {
            setInput(words.at(1), words.at(2), words.at(3));
        } else if (keyword == QLatin1String("include") && words.size() >= 2 && counted && include) {
            for (const IncludedFile& file : include(unquoted(words.mid(1).join(QLatin1Char(' '))), folder)) {
                if (read.contains(file.path))
                    continue;
                read.append(file.path);
                readFile(file.text, file.path.section(QLatin1Char('/'), 0, -2));
            }
        }
        if (!opens)
            continue;
        if (keyword == QLatin1String("bindsym"))
            blocks.push_back(Block::bindsym);
        else if (byCode)
            blocks.push_back(Block::bindcode);
        else if (keyword == QLatin1String("input") && words.size() == 2) {
            openInput = words.at(1);
            setInput(openInput);
            blocks.push_back(Block::input);
        } else if (keyword == QLatin1String("mode") && unquoted(words.last()) == QLatin1String("default"))
            blocks.push_back(Block::defaultMode);
        else
            blocks.push_back(Block::other);
    }
}

} // namespace

QList<Combo> configBindings(const QString& config, const IncludeReader& include, const QString& folder)
{
    ConfigReader reader{include, {}, {}, {}, {}, {}, {}};
    reader.readFile(config, folder);
    reader.addCodeBindings();
    return reader.bindings;
}

QString busNameElement(const QString& comboText)
{
    QString element = QStringLiteral("key_") + comboText;
    return element.replace(QLatin1Char('+'), QLatin1Char('_'));
}

} // namespace tessary::swaybind
