# The Done button, titled with the extension's name, tapped as a person does.
expect Water the plants
tap Jotshare
