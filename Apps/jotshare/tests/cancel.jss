expect Never mind
cancel
