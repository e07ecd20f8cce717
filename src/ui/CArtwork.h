#pragma once

#include <QIcon>
#include <QImage>

#include <vector>

namespace qm {

// The program's pictures, drawn in code: the seven 16 by 16 node images of
// the chunk tree (by the NodeImage index) and the program icon.
class CArtwork {
public:
    static constexpr int kNodeImageCount = 7;
    static constexpr int kNodeImageSize = 16;

    static QImage NodeImage(int index);
    static std::vector<QIcon> NodeImageList();

    static QImage ProgramIconImage(int size);
    static QIcon ProgramIcon();
};

} // namespace qm
