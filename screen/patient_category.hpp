// PatientCategory: Adult 1 (key 'v'), Child 2 (key 'b'), None 3 (Enter
// pressed before a choice). None is never stored: every command that
// receives it shows the error box.
#pragma once

enum PatientCategory : int { Adult = 1, Child = 2, None = 3 };
