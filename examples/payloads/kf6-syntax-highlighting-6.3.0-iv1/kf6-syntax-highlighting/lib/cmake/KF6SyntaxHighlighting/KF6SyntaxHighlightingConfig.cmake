# Sample payload of the Vexa distribution: this is where the package configuration of KF6 Syntax Highlighting 6.3.0 goes.
# The sample repository ships no real build, so find_package(KF6SyntaxHighlighting) reports it as not found.
set(KF6SyntaxHighlighting_FOUND FALSE)
set(KF6SyntaxHighlighting_NOT_FOUND_MESSAGE "The Vexa sample repository holds a placeholder for KF6 Syntax Highlighting 6.3.0, not a real build.")
