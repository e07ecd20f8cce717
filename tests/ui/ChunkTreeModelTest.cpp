// The chunk tree model over a loaded document, without the window: what it
// shows, as a golden dump, and the rows it reports as files load, with
// QAbstractItemModelTester checking every answer it gives. Changes of
// structure are followed through the window in StructureTest.

#include "support/DocFixture.h"
#include "tools/ChunkBuilder.h"
#include "ui/CChunkTreeModel.h"

#include <QAbstractItemModelTester>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QItemSelectionRange>
#include <QPixmap>
#include <QSignalSpy>


using namespace qm;
using namespace qm::test;
using namespace qm::tools;

namespace {

// Seven plain icons, told apart by their cache keys.
std::vector<QIcon> Images()
{
    std::vector<QIcon> images;
    for (int i = 0; i < 7; ++i) {
        QImage image(1, 1, QImage::Format_RGB32);
        image.fill(static_cast<QRgb>(i));
        images.emplace_back(QPixmap::fromImage(image));
    }
    return images;
}

// a.mob: Group (Count, Inner (Flag, an undescribed chunk), Name), Flag.
std::vector<std::uint8_t> FileA()
{
    ChunkBuilder b;
    b.Begin(kIdRec).Chunk(kIdDword, U32Bytes({7})).Begin(kIdRecInner).Chunk(kIdByte, {1}).Chunk(kIdUnknown, "x");
    return b.End().Chunk(kIdString, "hi").End().Chunk(kIdByte, {0}).Bytes();
}

const std::string kDumpA = "\"a.mob\" img=1\n"
                           "  \"Group\" img=2\n"
                           "    \"Count\" img=3\n"
                           "    \"Inner\" img=2\n"
                           "      \"Flag\" img=3\n"
                           "      \"\" img=3\n"
                           "    \"Name\" img=3\n"
                           "  \"Flag\" img=3\n";

class ChunkTreeModelTest : public DocFixture {
protected:
    ChunkTreeModelTest() { model.SetImageList(images); }

    // One line a row, indented by depth: the label (a file by its name
    // alone, its path being the test folder's) and the image's number.
    std::string Dump(const QModelIndex& parent = {}, int depth = 0) const
    {
        std::string out;
        for (int row = 0; row < model.rowCount(parent); ++row) {
            const QModelIndex index = model.index(row, 0, parent);
            QString label = index.data().toString();
            if (!parent.isValid())
                label = QFileInfo(label).fileName();
            const qint64 icon = index.data(Qt::DecorationRole).value<QIcon>().cacheKey();
            const auto image = std::find_if(images.begin(), images.end(),
                                            [&](const QIcon& i) { return i.cacheKey() == icon; });
            out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + '"' + label.toStdString() +
                   "\" img=" + std::to_string(image - images.begin()) + '\n';
            out += Dump(index, depth + 1);
        }
        return out;
    }

    // The index at a path of rows from the top.
    QModelIndex At(std::initializer_list<int> rows) const
    {
        QModelIndex index;
        for (const int row : rows)
            index = model.index(row, 0, index);
        return index;
    }

    const std::vector<QIcon> images = Images();
    CChunkTreeModel model{doc.Tree()};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Warning};
};

TEST_F(ChunkTreeModelTest, ShowsTheTreeAndFollowsLoadsRowByRow)
{
    Load(FileA(), "a.mob");
    model.SyncRoots();
    EXPECT_EQ(Dump(), kDumpA);
    for (NodeId node = 1; node <= doc.Tree().GetCount(); ++node)
        EXPECT_EQ(CChunkTreeModel::NodeFromIndex(model.IndexFromNode(node)), node);

    // A second file is a row of its own: what the view holds of the first
    // stays, and nothing is reset.
    const QPersistentModelIndex inner = At({0, 0, 1});
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    Load(ChunkBuilder().Chunk(kIdByte, {2}).Bytes(), "b.mob");
    model.SyncRoots();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(inner, At({0, 0, 1}));
    EXPECT_EQ(Dump(), kDumpA + "\"b.mob\" img=1\n  \"Flag\" img=3\n");
}

TEST_F(ChunkTreeModelTest, ChangedLabelsAndImagesAreRedrawn)
{
    Load(FileA(), "a.mob");
    model.SyncRoots();
    Dump();  // as a view that has shown every row
    const QModelIndex count = At({0, 0, 0});
    doc.Tree().SetItemLabel(CChunkTreeModel::NodeFromIndex(count), doc.Tree().InternLabel("Total"));
    doc.Tree().SetItemImage(CChunkTreeModel::NodeFromIndex(count), IMG_CONTAINER);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.NodesChanged();
    const auto covered = std::any_of(changed.begin(), changed.end(), [&](const QVariantList& signal) {
        const QItemSelectionRange range(signal[0].toModelIndex(), signal[1].toModelIndex());
        return range.contains(count) && signal[2].value<QList<int>>().contains(Qt::DecorationRole);
    });
    EXPECT_TRUE(covered);
    EXPECT_EQ(count.data().toString(), QStringLiteral("Total"));
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    // The tester reports what it finds wrong as warnings of its category.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type != QtDebugMsg && type != QtInfoMsg && qstrcmp(context.category, "qt.modeltest") == 0)
            ADD_FAILURE() << message.toStdString();
    });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
