#pragma once

// The fields of a station record, by position. The Station table and the Preset table keep
// them in this order, and the program reads and writes fields by position.
namespace StationColumn {
enum : int {
    SName = 0,
    Frequency = 1,
    Type = 2,
    CallLetters = 3,
    Location = 4,
    RAMFile = 5,
    Category = 6,
    WebPage = 7,
    Count = 8
};
} // namespace StationColumn
