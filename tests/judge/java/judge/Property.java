package judge;

public final class Property {
    public static void main(String[] args) {
        for (String name : args) {
            System.out.println(name + "=" + System.getProperty(name));
        }
    }
}
