#pragma once

#include <map>
#include <optional>
#include <vector>

#include <QByteArray>

// An H.264 copy that starts at an I picture of an open GOP (a recovery point) instead
// of an IDR picture. A decoder may start there, but the pictures before it in the clip
// are encoded again with parameter sets of their own, and a stream may change its
// parameter sets only at an IDR picture. So the copy's first picture becomes an IDR
// picture and the copied pictures after it are numbered on from it: each slice
// header's frame number, and the references to earlier pictures in its reordering and
// memory management commands, which count back from that number. The pictures the copy
// leaves out (the first picture's leading pictures, encoded again in the head) are
// forgotten, and so is any command that names them or a picture before the first.
// Slice data stays bit for bit as it was; a later IDR picture ends the renumbering.
class H264Restart final {
public:
    // From the source's sequence and picture parameter sets (more may come in band).
    explicit H264Restart(const std::vector<QByteArray>& parameterSets);

    // The NAL units of a picture the copy leaves out.
    void leaveOut(const std::vector<QByteArray>& units);
    // The NAL units of the next picture copied, renumbered; none when the stream uses
    // what this does not follow (field pictures, long-term references, slice groups,
    // a reference to a picture left out).
    std::optional<std::vector<QByteArray>> rewrite(const std::vector<QByteArray>& units);

private:
    // What the slice headers' layout depends on, from an SPS and from a PPS.
    struct Sequence {
        int chromaArrayType = 1;
        bool separateColourPlane = false;
        int frameNumBits = 4;
        int pocType = 0;
        int pocLsbBits = 4;
        bool deltaPocAlwaysZero = false;
        int maxRefFrames = 1;
        bool frameMbsOnly = true;
    };
    struct PictureSet {
        int sequence = 0;
        bool cabac = false;
        bool bottomFieldPoc = false;
        bool sliceGroups = false;
        int refIdxDefault[2] = {0, 0};
        bool weightedPred = false;
        int weightedBipred = 0;
        bool deblockingControl = false;
        bool redundantPicCount = false;
    };
    // A reference picture the copy holds, by its frame number in the source and ours.
    struct Reference {
        unsigned sourceNumber = 0;
        unsigned number = 0;
    };
    struct Marking {
        bool adaptive = false;
        std::vector<unsigned> unmark; // frame numbers of ours
    };

    void learn(const QByteArray& unit);
    std::optional<QByteArray> slice(const QByteArray& unit, Marking& marking, bool& reference, unsigned& number);
    void mark(const Marking& marking, unsigned number);

    std::map<int, Sequence> sequences;
    std::map<int, PictureSet> pictureSets;
    bool started = false;
    bool finished = false; // an IDR picture of the source's own came
    unsigned maxFrameNum = 16;
    int maxRefFrames = 1;
    unsigned offset = 0; // source frame number minus ours
    std::vector<Reference> references;
};
