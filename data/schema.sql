-- The station database. Field order binds: the program reads and writes fields by position.
-- Length limits are those of the editors; a longer value is refused, never cut.
-- Names are unique ignoring letter case, so importing the same list twice adds nothing.
PRAGMA foreign_keys = OFF;

CREATE TABLE Station (
    SName       TEXT COLLATE NOCASE
                CONSTRAINT "too_long:SName:30" CHECK (length(SName) <= 30),
    Frequency   TEXT CONSTRAINT "too_long:Frequency:5" CHECK (length(Frequency) <= 5),
    Type        TEXT,
    CallLetters TEXT CONSTRAINT "too_long:CallLetters:4" CHECK (length(CallLetters) <= 4),
    Location    TEXT CONSTRAINT "too_long:Location:50" CHECK (length(Location) <= 50),
    RAMFile     TEXT CONSTRAINT "too_long:RAMFile:100" CHECK (length(RAMFile) <= 100),
    Category    TEXT NOT NULL
                CONSTRAINT "required:Category" CHECK (Category <> ''),
    WebPage     TEXT CONSTRAINT "too_long:WebPage:100" CHECK (length(WebPage) <= 100)
);
CREATE UNIQUE INDEX StationName ON Station (SName COLLATE NOCASE);
CREATE INDEX StationCategory ON Station (Category COLLATE NOCASE);

CREATE TABLE Category (
    Name        TEXT COLLATE NOCASE
                CONSTRAINT "too_long:Name:30" CHECK (length(Name) <= 30),
    Description TEXT CONSTRAINT "too_long:Description:50" CHECK (length(Description) <= 50)
);
CREATE UNIQUE INDEX CategoryName ON Category (Name COLLATE NOCASE);

-- The preset slots: the row at position i in stored (rowid) order is slot i.
-- Fields 0 to 7 mirror the station record; field 0 always holds a text (the button's hint).
CREATE TABLE Preset (
    SName       TEXT NOT NULL CONSTRAINT "too_long:SName:30" CHECK (length(SName) <= 30),
    Frequency   TEXT CONSTRAINT "too_long:Frequency:5" CHECK (length(Frequency) <= 5),
    Type        TEXT,
    CallLetters TEXT CONSTRAINT "too_long:CallLetters:4" CHECK (length(CallLetters) <= 4),
    Location    TEXT CONSTRAINT "too_long:Location:50" CHECK (length(Location) <= 50),
    RAMFile     TEXT CONSTRAINT "too_long:RAMFile:100" CHECK (length(RAMFile) <= 100),
    Category    TEXT,
    WebPage     TEXT CONSTRAINT "too_long:WebPage:100" CHECK (length(WebPage) <= 100)
);
