// The folders of src/ form layers: a folder includes only from the folders below it, and
// its folder tells which library a file belongs to.
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

#include <map>

namespace {
const QStringList CoreFolders{"core", "imageio", "richtext", "print", "program", "compose"};

struct Layer
{
    const char *library; // the library its CMakeLists adds to, or nullptr
    QStringList below;   // the folders it may include from
};

// Every folder of src/ with the folders it may include from ("main" is src/ itself).
const std::map<QString, Layer> &layers()
{
    static const std::map<QString, Layer> table{
        // letrafex_core, without widgets, from the bottom up.
        {"core", {"letrafex_core", {}}},
        {"imageio", {"letrafex_core", {"core"}}},
        {"richtext", {"letrafex_core", {"core", "imageio"}}},
        {"print", {"letrafex_core", {"core"}}},
        {"program", {"letrafex_core", {"core"}}},
        {"compose", {"letrafex_core", {"core", "imageio"}}},
        // letrafex_ui, the windows, from the bottom up; every core folder is below them.
        {"ui", {"letrafex_ui", CoreFolders}},
        {"preview", {"letrafex_ui", CoreFolders + QStringList{"ui"}}},
        {"help", {"letrafex_ui", CoreFolders + QStringList{"ui", "preview"}}},
        {"background", {"letrafex_ui", CoreFolders + QStringList{"ui"}}},
        {"app", {"letrafex_ui", CoreFolders + QStringList{"ui", "preview", "help", "background"}}},
        // The programs.
        {"cli", {nullptr, CoreFolders}},
        {"main", {nullptr, CoreFolders + QStringList{"ui", "app"}}},
    };
    return table;
}

QString folderOf(const QString &relativePath)
{
    const qsizetype slash = relativePath.indexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral("main") : relativePath.left(slash);
}
} // namespace

TEST(Layering, EveryIncludeRunsDownTheLayersAndEveryFolderFeedsOneLibrary)
{
    const QString src = QStringLiteral(LETRAFEX_SOURCE);
    const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s+"([A-Za-z0-9_]+)/)"),
                                     QRegularExpression::MultilineOption);
    int files = 0;
    QDirIterator it(src, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(src.size() + 1);
        const QString from = folderOf(relative);
        const auto layer = layers().find(from);
        if (layer == layers().end()) {
            ADD_FAILURE() << "folder src/" << from.toStdString() << " is not in the layer table";
            continue;
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        ++files;
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = include.globalMatch(text); match.hasNext();) {
            const QString to = match.next().captured(1);
            EXPECT_TRUE(to == from || layer->second.below.contains(to))
                << relative.toStdString() << " includes from " << to.toStdString() << "/";
        }
    }
    EXPECT_GT(files, 100);

    for (const auto &[folder, layer] : layers()) {
        if (!layer.library)
            continue;
        QFile lists(src + QLatin1Char('/') + folder + QStringLiteral("/CMakeLists.txt"));
        ASSERT_TRUE(lists.open(QIODevice::ReadOnly)) << folder.toStdString();
        const QString text = QString::fromUtf8(lists.readAll());
        const QString other = QLatin1String(layer.library) == QLatin1String("letrafex_core")
                                  ? QStringLiteral("letrafex_ui") : QStringLiteral("letrafex_core");
        EXPECT_TRUE(text.contains(QLatin1String(layer.library))) << folder.toStdString();
        EXPECT_FALSE(text.contains(other)) << folder.toStdString() << " adds to " << other.toStdString();
    }
}
