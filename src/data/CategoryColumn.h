#pragma once

// The fields of a category record, by position, as the Category table keeps them.
namespace CategoryColumn {
enum : int { Name = 0, Description = 1, Count = 2 };
} // namespace CategoryColumn
