// PLACEHOLDER until the paging work lands: replace every body.
#include "run/LessonForm.h"
#include "platform/RunError.h"
namespace qal {
void LessonForm::readNextQuestion() { throw RunError(err::InvalidProcedureCall); }
void LessonForm::nextQuestion() { throw RunError(err::InvalidProcedureCall); }
void LessonForm::nextPicture() { throw RunError(err::InvalidProcedureCall); }
std::string LessonForm::remSpaces(const std::string&) { throw RunError(err::InvalidProcedureCall); }
void LessonForm::runRoutine(const std::string&) { throw RunError(err::InvalidProcedureCall); }
void LessonForm::enterResponse() { throw RunError(err::InvalidProcedureCall); }
void LessonForm::saveAsNotes() { throw RunError(err::InvalidProcedureCall); }
void LessonForm::displayNotes() { throw RunError(err::InvalidProcedureCall); }
void LessonForm::displayEverything() { throw RunError(err::InvalidProcedureCall); }
void LessonForm::clearBox() { throw RunError(err::InvalidProcedureCall); }
void LessonForm::codeFile() { throw RunError(err::InvalidProcedureCall); }
} // namespace qal
